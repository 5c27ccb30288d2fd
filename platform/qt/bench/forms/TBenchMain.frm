// A main window of the collector's size and make-up: its lists, labels, data
// source choice, check boxes, buttons, 500 ms timer and sockets.
object BenchMain: TBenchMain
  Left = 200
  Top = 120
  BorderStyle = bsSingle
  Caption = 'ABL Data Input Module (Ver. 0.1.0.0)'
  ClientHeight = 520
  ClientWidth = 688
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poScreenCenter
  OnCreate = FormCreate
  object lblError: TLabel
    Left = 8
    Top = 496
    Width = 672
    Height = 16
    ShowAccelChar = False
  end
  object lblDisconnected: TLabel
    Left = 480
    Top = 8
    Width = 100
    Height = 16
    Caption = 'Disconnected'
    Font.Color = clRed
    Font.Style = [fsBold]
    Visible = False
  end
  object lblNoNetwork: TLabel
    Left = 480
    Top = 28
    Width = 180
    Height = 16
    Caption = 'Network host not found'
    Font.Color = clRed
    Font.Style = [fsBold]
    Visible = False
  end
  object Memo1: TMemo
    Left = 8
    Top = 8
    Width = 100
    Height = 40
    Visible = False
  end
  object Memo4: TMemo
    Left = 8
    Top = 120
    Width = 672
    Height = 300
    ReadOnly = True
    ScrollBars = ssVertical
  end
  object gbComSel: TGroupBox
    Left = 8
    Top = 8
    Width = 320
    Height = 100
    Caption = 'Data Source'
    Hint = 'Select communication port'
    OnClick = gbComSelClick
    object lblABLIdentification: TLabel
      Left = 8
      Top = 20
      Width = 300
      Height = 16
      Caption = 'ABL Unknown'
      ShowAccelChar = False
    end
    object ComSel: TComboBox
      Left = 8
      Top = 44
      Width = 200
      Height = 21
      Style = csDropDownList
      Hint = 'Select communication port from the list'
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
      Visible = False
      OnChange = ComSelChange
    end
    object btnComSel: TButton
      Left = 8
      Top = 70
      Width = 150
      Height = 25
      Caption = 'Change data source'
      Hint = 'Change communication port by clicking'
      OnClick = btnComSelClick
    end
  end
  object cbAutoStart: TCheckBox
    Left = 340
    Top = 8
    Width = 130
    Height = 17
    Caption = 'AutoStart'
    OnClick = CheckClick
  end
  object cbAutoCreate: TCheckBox
    Left = 340
    Top = 30
    Width = 200
    Height = 17
    Caption = 'Create Patients Automatically'
    OnClick = CheckClick
  end
  object cbParameterGrouping: TCheckBox
    Left = 340
    Top = 52
    Width = 200
    Height = 17
    Caption = 'Parameter Grouping'
    OnClick = CheckClick
  end
  object gbReduction: TGroupBox
    Left = 340
    Top = 72
    Width = 200
    Height = 44
    Caption = 'Patient ID Reduction'
    object cbPatientIDReductionUseFirstTen: TCheckBox
      Left = 8
      Top = 20
      Width = 180
      Height = 17
      Caption = 'Use first 10 characters'
      OnClick = CheckClick
    end
  end
  object gbConnectedDataClients: TGroupBox
    Left = 8
    Top = 424
    Width = 400
    Height = 68
    Caption = 'Connected data clients'
    Visible = False
    object ListBoxConnectedClients: TListBox
      Left = 8
      Top = 16
      Width = 384
      Height = 44
    end
  end
  object BitBtn1: TBitBtn
    Left = 600
    Top = 430
    Width = 80
    Height = 25
    Caption = '&Close'
    Hint = 'Click to close application. N.B. No data will be collected after closing the application!'
  end
  object Button3: TButton
    Left = 600
    Top = 462
    Width = 80
    Height = 25
    Caption = 'Clear log'
    Hint = 'Click to clear logfile'
  end
  object Timer1: TTimer
    Interval = 500
    OnTimer = Timer1Timer
  end
  object ServerSocket1: TServerSocket
    Active = False
    Port = 0
    ServerType = stNonBlocking
  end
  object ServerSocketABL: TServerSocket
    Active = False
    Port = 0
    ServerType = stNonBlocking
  end
  object ClientSocket1: TClientSocket
    Active = False
    ClientType = ctNonBlocking
    Port = 14001
  end
end
