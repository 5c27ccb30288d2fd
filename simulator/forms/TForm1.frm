// Gasmimic's window: the values to send, the line to send them on, the two
// messages and the buttons. Memo1's first line is the header of every built
// message; Memo2 holds the canned message as it is sent.
object Form1: TForm1
  Left = 200
  Top = 120
  BorderStyle = bsSingle
  Caption = 'RadioMeter ABL 625 (Ver 1.1)'
  ClientHeight = 520
  ClientWidth = 664
  Color = clBtnFace
  OnCreate = FormCreate
  object gbParameters: TGroupBox
    Left = 8
    Top = 8
    Width = 216
    Height = 224
    Caption = 'Parameters'
    object lblFIO2: TLabel
      Left = 12
      Top = 27
      Width = 48
      Height = 16
      Caption = 'FIO2'
    end
    object feFIO2: TFloatEdit
      Left = 64
      Top = 24
      Width = 80
      Height = 23
      TabOrder = 0
      Text = '21'
    end
    object lblFIO2Unit: TLabel
      Left = 150
      Top = 27
      Width = 58
      Height = 16
      Caption = '%'
    end
    object lblCa: TLabel
      Left = 12
      Top = 55
      Width = 48
      Height = 16
      Caption = 'Ca++'
    end
    object feCa: TFloatEdit
      Left = 64
      Top = 52
      Width = 80
      Height = 23
      TabOrder = 1
      Text = '1.24'
    end
    object lblCaUnit: TLabel
      Left = 150
      Top = 55
      Width = 58
      Height = 16
      Caption = 'mmol/L'
    end
    object lblCl: TLabel
      Left = 12
      Top = 83
      Width = 48
      Height = 16
      Caption = 'Cl-'
    end
    object feCl: TFloatEdit
      Left = 64
      Top = 80
      Width = 80
      Height = 23
      TabOrder = 2
      Text = '97'
    end
    object lblClUnit: TLabel
      Left = 150
      Top = 83
      Width = 58
      Height = 16
      Caption = 'mmol/L'
    end
    object lblK: TLabel
      Left = 12
      Top = 111
      Width = 48
      Height = 16
      Caption = 'K+'
    end
    object feK: TFloatEdit
      Left = 64
      Top = 108
      Width = 80
      Height = 23
      TabOrder = 3
      Text = '3.9'
    end
    object lblKUnit: TLabel
      Left = 150
      Top = 111
      Width = 58
      Height = 16
      Caption = 'mmol/L'
    end
    object lblNa: TLabel
      Left = 12
      Top = 139
      Width = 48
      Height = 16
      Caption = 'Na+'
    end
    object feNa: TFloatEdit
      Left = 64
      Top = 136
      Width = 80
      Height = 23
      TabOrder = 4
      Text = '143'
    end
    object lblNaUnit: TLabel
      Left = 150
      Top = 139
      Width = 58
      Height = 16
      Caption = 'mmol/L'
    end
    object lblpH: TLabel
      Left = 12
      Top = 167
      Width = 48
      Height = 16
      Caption = 'pH'
    end
    object fepH: TFloatEdit
      Left = 64
      Top = 164
      Width = 80
      Height = 23
      TabOrder = 5
      Text = '7.62'
    end
    object lblpO2: TLabel
      Left = 12
      Top = 195
      Width = 48
      Height = 16
      Caption = 'pO2'
    end
    object fepO2: TFloatEdit
      Left = 64
      Top = 192
      Width = 80
      Height = 23
      TabOrder = 6
      Text = '41.2'
    end
    object lblpO2Unit: TLabel
      Left = 150
      Top = 195
      Width = 58
      Height = 16
      Caption = 'mmHg'
    end
  end
  object cboxKSSpecial: TCheckBox
    Left = 16
    Top = 240
    Width = 120
    Height = 20
    Caption = 'KS Special'
    TabOrder = 1
  end
  object gbComportSelection: TGroupBox
    Left = 232
    Top = 8
    Width = 200
    Height = 56
    Caption = 'Comport selection'
    object ComSel: TComboBox
      Left = 12
      Top = 22
      Width = 176
      Height = 24
      Style = csDropDownList
      TabOrder = 0
      OnChange = ComSelChange
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
        'Network')
      ItemIndex = 0
    end
  end
  object gbDataInterval: TGroupBox
    Left = 232
    Top = 72
    Width = 200
    Height = 56
    Caption = 'Data Interval'
    object SpinEdit1: TSpinEdit
      Left = 12
      Top = 22
      Width = 96
      Height = 24
      MinValue = 1
      MaxValue = 2147483
      Value = 60
      TabOrder = 0
    end
    object lblSeconds: TLabel
      Left = 116
      Top = 26
      Width = 72
      Height = 16
      Caption = 'seconds'
    end
  end
  object lblPatientID: TLabel
    Left = 236
    Top = 140
    Width = 72
    Height = 16
    Caption = 'Patient ID'
  end
  object EditPatientID: TEdit
    Left = 312
    Top = 136
    Width = 120
    Height = 23
    TabOrder = 3
    Text = '1'
  end
  object rgSpecimenType: TRadioGroup
    Left = 232
    Top = 168
    Width = 200
    Height = 92
    Caption = 'Specimen Type'
    Columns = 2
    ItemIndex = 1
    Items.Strings = (
      'None'
      'Blood'
      'Gas'
      'Urine')
    TabOrder = 4
  end
  object rgSpecimenSource: TRadioGroup
    Left = 440
    Top = 8
    Width = 216
    Height = 120
    Caption = 'Specimen Source'
    Columns = 2
    ItemIndex = 1
    Items.Strings = (
      'None'
      'Arterial'
      'Venous'
      'Capillary'
      'Mixed-Venous'
      'Not specified')
    TabOrder = 5
  end
  object cbCheckSumError: TCheckBox
    Left = 448
    Top = 138
    Width = 200
    Height = 20
    Caption = 'Single CS Error'
    TabOrder = 6
  end
  object Button1: TButton
    Left = 448
    Top = 176
    Width = 96
    Height = 32
    Caption = 'Start'
    TabOrder = 7
    OnClick = Button1Click
  end
  object Send: TButton
    Left = 552
    Top = 176
    Width = 96
    Height = 32
    Caption = 'Send'
    TabOrder = 8
    OnClick = SendClick
  end
  object lblError: TLabel
    Left = 8
    Top = 268
    Width = 648
    Height = 20
    AutoSize = False
    Caption = ''
    ShowAccelChar = False
  end
  object Memo1: TMemo
    Left = 8
    Top = 296
    Width = 320
    Height = 216
    ScrollBars = ssBoth
    WordWrap = False
    TabOrder = 9
    Lines.Strings = (
      '1H|\^&|||ABL SYSTEM 625^||||||||1|20010119155000')
  end
  object Memo2: TMemo
    Left = 336
    Top = 296
    Width = 320
    Height = 216
    ScrollBars = ssBoth
    WordWrap = False
    TabOrder = 10
    Lines.Strings = (
      '1H|\^&|||ABL SYSTEM 625^||||||||1|20010122181814'
      '2P|1||1||^|||U||||||0^years||0^cm|0^kg||||||||'
      '3O|1||Sample #^9288||||||||||||Blood^Not specified'
      '4R|1|^^^FIO2^D|21.0|%||||F|||20010122181700'
      '5R|2|^^^RQ^D|0.86|||||F'
      '6R|3|^^^T^D|37.0|Cel||||F'
      '7R|4|^^^Qt^I|.....|L/min||||X'
      '0R|5|^^^VO2^I|.....|mL/min||||X'
      '1R|6|^^^ABE^C|8.0|mmol/L||||F'
      '2R|7|^^^Anion gap(K+)^C|10.7|mmol/L||||F'
      '3R|8|^^^Anion gap^C|6.9|mmol/L||||F'
      '4R|9|^^^B^M|770|mmHg||||F'
      '5R|10|^^^Ca++^M|1.20|mmol/L||||F'
      '6R|11|^^^Ca(7.4)^C|1.21|mmol/L||||F'
      '7R|12|^^^Cl-^M|97|mmol/L||||F'
      '0R|13|^^^COHb^M|1.5|%||||F'
      '1R|14|^^^Glu^M|6.2|mmol/L||||F'
      '2R|15|^^^HCO3-^C|33.4|mmol/L||||F'
      '3R|16|^^^Hct^C|35.9|%||||F'
      '4R|17|^^^K+^M|3.9|mmol/L||||F'
      '5R|18|^^^Lac^M|0.7|mmol/L||||F'
      '6R|19|^^^MetHb^M|0.3|%||||F'
      '7R|20|^^^Na+^M|137|mmol/L||||F'
      '0R|21|^^^O2CAP^C|15.9|Vol %||||F'
      '1R|22|^^^O2Hb^M|94.8|%||||F'
      '2R|23|^^^pCO2^M|6.93|kPa||||F'
      '3R|24|^^^pCO2(T)^M|6.93|kPa||||F'
      '4R|25|^^^pH^M|7.424|||||F'
      '5R|26|^^^pH(st)^C|7.508|||||F'
      '6R|27|^^^pH(T)^M|7.424|||||F'
      '7R|28|^^^pO2^M|12.02|kPa||||F'
      '0R|29|^^^pO2(T)^M|12.02|kPa||||F'
      '1R|30|^^^p50(act)^C|3.647|kPa||||F'
      '2R|31|^^^p50(act),T^C|3.647|kPa||||F'
      '3R|32|^^^p50(st)^C|3.762|kPa||||F'
      '4R|33|^^^RHb^M|3.3|%||||F'
      '5R|34|^^^SBC^C|31.8|mmol/L||||F'
      '6R|35|^^^SBE^C|8.7|mmol/L||||F'
      '7R|36|^^^sO2^M|96.6|%||||F'
      '0R|37|^^^tCO2(B)^C|67.7|Vol %||||F'
      '1R|38|^^^tCO2(P)^C|78.4|Vol %||||F'
      '2R|39|^^^tHb^M|116|g/L||||F'
      '3R|40|^^^tO2^C|15.6|Vol %||||F'
      '4L|1|N')
  end
  object ComPort: TSerComPort
    Baud = 9600
    PromptForPort = False
    BufferFull = 3072
    BufferResume = 1024
    TraceName = 'SER.TRC'
    LogName = 'SER.LOG'
    TapiMode = tmOff
    OnTriggerAvail = ComPortTriggerAvail
    Left = 16
    Top = 480
  end
  object ClientSocket1: TClientSocket
    Active = False
    ClientType = ctNonBlocking
    Port = 14000
    OnConnect = ClientSocket1Connect
    OnDisconnect = ClientSocket1Disconnect
    Left = 48
    Top = 480
  end
  object Timer1: TTimer
    Enabled = False
    OnTimer = Timer1Timer
    Left = 80
    Top = 480
  end
  object Timer2: TTimer
    Interval = 3000
    OnTimer = Timer2Timer
    Left = 112
    Top = 480
  end
end
