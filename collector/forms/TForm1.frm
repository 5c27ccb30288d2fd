// Gasbridge's main window.
object Form1: TForm1
  Left = 200
  Top = 120
  BorderStyle = bsSingle
  Caption = 'ABL Data Input Module'
  ClientHeight = 428
  ClientWidth = 560
  Color = clBtnFace
  ShowHint = True
  OnCreate = FormCreate
  OnShow = FormShow
  OnCloseQuery = FormCloseQuery
  OnDestroy = FormDestroy
  object gbComSel: TGroupBox
    Left = 8
    Top = 8
    Width = 260
    Height = 88
    Caption = 'Data Source'
    Hint = 'Select communication port'
    OnClick = gbComSelClick
    object lblABLIdentification: TLabel
      Left = 12
      Top = 22
      Width = 236
      Height = 16
      Caption = 'ABL Unknown'
      ShowAccelChar = False
    end
    object ComSel: TComboBox
      Left = 12
      Top = 50
      Width = 236
      Height = 24
      Style = csDropDownList
      Hint = 'Select communication port from the list'
      Visible = False
      Items.Strings = (
        'Disabled'
        'COM1'
        'COM2'
        'COM3'
        'COM4'
        'COM5'
        'COM6'
        'COM7'
        'COM8'
        'COM9'
        'COM10'
        'COM11'
        'COM12'
        'COM13'
        'COM14'
        'COM15'
        'COM16'
        'Network (Wardvorta)'
        'Network (ABL)')
      ItemIndex = 0
      OnChange = ComSelChange
    end
    object btnComSel: TButton
      Left = 12
      Top = 48
      Width = 160
      Height = 27
      Caption = 'Change data source'
      Hint = 'Change communication port by clicking'
      OnClick = btnComSelClick
    end
  end
  object cbAutoStart: TCheckBox
    Left = 280
    Top = 10
    Width = 272
    Height = 20
    Caption = 'AutoStart'
    Hint = 'Check to start collection automatically when connection has been established'
    OnClick = cbAutoStartClick
  end
  object cbAutoCreate: TCheckBox
    Left = 280
    Top = 32
    Width = 272
    Height = 20
    Caption = 'Create Patients Automatically'
    Hint = 'Check to automatically create all patients registered in the ABL Blood Gas Analyzer'
    OnClick = cbAutoCreateClick
  end
  object cbParameterGrouping: TCheckBox
    Left = 280
    Top = 54
    Width = 272
    Height = 20
    Caption = 'Parameter Grouping'
    Hint = 'Check to group parameters (e.g. Venous and Arterial)'
    OnClick = cbParameterGroupingClick
  end
  object gbPatientIDReduction: TGroupBox
    Left = 280
    Top = 76
    Width = 272
    Height = 46
    Caption = 'Patient ID Reduction'
    object cbPatientIDReductionUseFirstTen: TCheckBox
      Left = 12
      Top = 20
      Width = 250
      Height = 20
      Caption = 'Use first 10 characters'
      OnClick = cbPatientIDReductionUseFirstTenClick
    end
  end
  object lblDisconnected: TLabel
    Left = 8
    Top = 104
    Width = 120
    Height = 16
    Caption = 'Disconnected'
    Font.Color = clRed
    Font.Style = [fsBold]
    Visible = False
  end
  object lblNoNetwork: TLabel
    Left = 136
    Top = 104
    Width = 240
    Height = 16
    Caption = 'Network host not found'
    Font.Color = clRed
    Font.Style = [fsBold]
    Visible = False
  end
  object Memo4: TMemo
    Left = 8
    Top = 128
    Width = 544
    Height = 200
    ReadOnly = True
    ScrollBars = ssVertical
    WordWrap = False
  end
  object Memo1: TMemo
    Left = 8
    Top = 128
    Width = 100
    Height = 40
    Visible = False
  end
  object gbConnectedDataClients: TGroupBox
    Left = 8
    Top = 334
    Width = 300
    Height = 64
    Caption = 'Connected data clients'
    Visible = False
    object ListBoxConnectedClients: TListBox
      Left = 8
      Top = 18
      Width = 284
      Height = 40
    end
  end
  object Button3: TButton
    Left = 388
    Top = 336
    Width = 80
    Height = 27
    Caption = 'Clear log'
    Hint = 'Click to clear logfile'
    OnClick = Button3Click
  end
  object BitBtn1: TBitBtn
    Left = 472
    Top = 336
    Width = 80
    Height = 27
    Caption = '&Close'
    Hint = 'Click to close application. N.B. No data will be collected after closing the application!'
    OnClick = BitBtn1Click
  end
  object lblError: TLabel
    Left = 8
    Top = 404
    Width = 544
    Height = 18
    Caption = ''
    ShowAccelChar = False
  end
  object Timer1: TTimer
    Interval = 500
    OnTimer = Timer1Timer
  end
  object ComPort: TSerComPort
    Baud = 9600
    PromptForPort = False
    BufferFull = 3072
    BufferResume = 1024
    TapiMode = tmOff
    OnTriggerAvail = ComPortTriggerAvail
  end
  object ServerSocket1: TServerSocket
    Port = 14001
    ServerType = stNonBlocking
    OnClientConnect = ServerSocket1ClientConnect
    OnClientDisconnect = ServerSocket1ClientDisconnect
    OnClientRead = ServerSocket1ClientRead
  end
  object ServerSocketABL: TServerSocket
    Port = 14000
    ServerType = stNonBlocking
    OnClientConnect = ServerSocketABLClientConnect
    OnClientDisconnect = ServerSocketABLClientDisconnect
    OnClientRead = ServerSocketABLClientRead
  end
  object ClientSocket1: TClientSocket
    Port = 14001
    ClientType = ctNonBlocking
    OnConnect = ClientSocket1Connect
    OnDisconnect = ClientSocket1Disconnect
    OnRead = ClientSocket1Read
  end
  object SaveIt1: TSaveItNew
    MinimumReservedSpaceForMonitorParameters = 500
    FileType = ftUnknown
    IsReadOnly = False
  end
  object TaskbarIconControler1: TTaskbarIconControler
    OnClick = TaskbarIconControler1Click
  end
  object FileVersion: TFileVersionScanner
  end
  object OnlyOne1: TOnlyOne
    EnforceOnlyOne = True
  end
end
